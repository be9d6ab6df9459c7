# View, applied, membership, effective against the lab.
